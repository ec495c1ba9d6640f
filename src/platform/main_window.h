#pragma once

#include <QPointer>
#include <QPushButton>
#include <QWidget>

namespace ticora {

// The top-level window: fixed size, minimise and close buttons only, closed by Esc.
class MainWindow : public QWidget {
    Q_OBJECT
public:
    MainWindow();

    // Enter presses this button, as in a dialog, unless the focus is on another button or
    // in a box that takes Enter itself.
    void setDefaultButton(QPushButton *button);

    // Shows the hidden window again, in the normal state.
    void showRestored();

Q_SIGNALS:
    // The size or the window state (normal, minimised) changed.
    void sizeChanged();
    void closed();

protected:
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    QPointer<QPushButton> m_defaultButton;
};

} // namespace ticora
