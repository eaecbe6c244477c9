#include "core/service.h"

namespace kx {

namespace {
MessageTranslator g_msg;
WindowTranslator g_window;
} // namespace

void setTranslators(MessageTranslator msg, WindowTranslator window)
{
    g_msg = std::move(msg);
    g_window = std::move(window);
}

QString trMsg(const QString &text)
{
    return g_msg ? g_msg(text) : text;
}

void trWindow(QObject *window)
{
    if (g_window)
        g_window(window);
}

} // namespace kx
