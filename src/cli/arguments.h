#pragma once
// The command line of the restore program:
//   korvanex-geri-yukle zip ARCHIVE TARGET [--password-file F] [--overwrite]
//   korvanex-geri-yukle klasor RUN_FOLDER TARGET [--overwrite]
//   korvanex-geri-yukle firebird BACKUP.fbk DATABASE.fdb --user U [--password-file F] [--overwrite]
// A password is never taken from the command line itself: the process list shows it to every
// user of the machine.

#include <QString>
#include <QStringList>

namespace kx::cli {

struct Options {
    enum class Kind { Zip, Folder, Firebird };
    Kind kind = Kind::Zip;
    QString source;
    QString target;
    QString user;
    QString passwordFile; // empty: asked on the terminal
    bool overwrite = false;
    bool help = false;
    // Set when the command line is wrong: what is wrong, translated.
    QString problem;
};

// The arguments after the program's name, decoded as file names are.
Options parseArguments(const QStringList &arguments);

// The three forms of the command, then what they do (--help).
QString usageText();
QString helpText();

} // namespace kx::cli
