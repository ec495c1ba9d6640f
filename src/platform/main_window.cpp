#include "main_window.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>

#if QT_CONFIG(xcb)
#include <xcb/xcb.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#endif

namespace ticora {

namespace {

#if QT_CONFIG(xcb)
// Qt's own minimise leaves the window's WM_HINTS asking to start iconic. Mapped with them, the
// window would come back iconic and the window manager's report of that, arriving after the
// restore, would send it straight back to the tray. They are reset while the window is still
// unmapped, on Qt's connection, so the change reaches the server before the map request does.
void clearIconicStartHint(const QWidget &window)
{
    // Other platforms may offer the interface too, with no X connection behind it.
    const auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || QGuiApplication::platformName() != u"xcb")
        return;
    xcb_connection_t *connection = x11->connection();
    const auto id = xcb_window_t(window.winId());
    // ICCCM: flags, input, initial_state, then six more fields; bit 1 of flags is StateHint.
    constexpr uint32_t stateHint = 1u << 1;
    constexpr uint32_t normalState = 1;
    std::array<uint32_t, 9> hints{};
    const xcb_get_property_cookie_t cookie = xcb_get_property(
        connection, false, id, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 0, hints.size());
    const std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(connection, cookie, nullptr), &std::free);
    if (!reply || reply->format != 32)
        return;
    const auto count
        = std::min<size_t>(xcb_get_property_value_length(reply.get()) / 4, hints.size());
    if (count < 3)
        return;
    std::memcpy(hints.data(), xcb_get_property_value(reply.get()), count * 4);
    if (!(hints[0] & stateHint) || hints[2] == normalState)
        return;
    hints[2] = normalState;
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS,
                        32, uint32_t(count), hints.data());
}
#endif

} // namespace

MainWindow::MainWindow()
{
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowCloseButtonHint);
}

void MainWindow::setDefaultButton(QPushButton *button)
{
    m_defaultButton = button;
}

void MainWindow::showRestored()
{
#if QT_CONFIG(xcb)
    clearIconicStartHint(*this);
#endif
    // Shown minimised, the window would carry that state into its mapping too.
    showNormal();
}

void MainWindow::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        Q_EMIT sizeChanged();
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Q_EMIT sizeChanged();
}

void MainWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        auto *focused = qobject_cast<QPushButton *>(focusWidget());
        QPushButton *target = focused ? focused : m_defaultButton.data();
        if (target && target->isEnabled()) {
            target->animateClick();
            return;
        }
    }
    QWidget::keyPressEvent(event);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    Q_EMIT closed();
}

} // namespace ticora
