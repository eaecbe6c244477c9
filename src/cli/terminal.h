#pragma once
// What the command-line restore says and asks on its terminal: texts written as the bytes of
// the names they hold, a password read without echo, and the progress of a run.

#include <QElapsedTimer>
#include <QString>
#include <cstdio>
#include <optional>

namespace kx::cli {

// Writes the text and a line end; a message's CR LF becomes a plain line end.
void printLine(std::FILE *stream, const QString &text);

// One line read from the controlling terminal with echo off, after the prompt; nullopt when
// the program has no terminal (started by a service, a pipe or a test).
std::optional<QString> readSecret(const QString &prompt);

// The progress of a run on standard output: on a terminal one line rewritten in place, else a
// plain line at every tenth.
class ProgressLine
{
public:
    explicit ProgressLine(const QString &label);
    // The bar as the run asks for it; a share lower than one already shown is not shown (the
    // run puts its bar back to the start when it ends).
    void bar(int position, int maximum);
    // Runs without a bar (the database server tells no share): the seconds gone, on a terminal.
    void tick();
    // Ends the line that is being rewritten.
    void finish();

private:
    void show(const QString &text);

    QString m_label;
    bool m_terminal;
    bool m_open = false;
    int m_shown = -1;
    QElapsedTimer m_elapsed;
};

} // namespace kx::cli
