#include "platform/kxerror.h"

#include <atomic>

namespace kx {

namespace {

std::atomic<const ErrorTextTranslator *> g_translator{nullptr};

} // namespace

void setErrorTextTranslator(const ErrorTextTranslator *translator)
{
    g_translator.store(translator, std::memory_order_release);
}

QString Error::compose(const QString &text, const QStringList &args)
{
    const ErrorTextTranslator *translator = g_translator.load(std::memory_order_acquire);
    const QString t = translator ? translator->translate(text) : text;
    if (args.isEmpty())
        return t;
    QString out;
    out.reserve(t.size() + 64);
    for (qsizetype i = 0; i < t.size(); ++i) {
        if (t[i] == u'%' && i + 1 < t.size() && t[i + 1] >= u'1' && t[i + 1] <= u'9') {
            const int n = t[i + 1].unicode() - u'1';
            if (n < args.size()) {
                out += args[n];
                ++i;
                continue;
            }
        }
        out += t[i];
    }
    return out;
}

} // namespace kx
