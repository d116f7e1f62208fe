#pragma once

#include "platform/files/file_access.h"

// The share configuration file: a share location in a file of its own, read from the folder the program
// was started in and never written.
namespace ShareConfig {

inline const QString fileName = QStringLiteral("CHATSLATE-SHARE.CFG");

// The file's full path in the current working directory, as every message about it names it: after a
// start from a desktop menu that folder is the home folder, which the user may not expect.
QString path();

struct Location
{
    QString text;
    FileError error;
};

// The whole file, read afresh at every call, as text of the live log's code page; after a UTF-8
// byte-order mark, which an editor saving UTF-8 writes, as UTF-8. The mark and line ends at the file's end
// are dropped, as ordinary editors add them and they would make every path built from the location
// invalid; everything else, blanks included, is kept as it is.
Location read(FileAccess& files);

// The error for the user, with the folder the file is looked for in.
QString describe(const FileError& error);

} // namespace ShareConfig
