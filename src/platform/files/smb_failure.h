#pragma once

#include "platform/files/file_access.h"
#include "platform/files/smb_context.h"

#include <QByteArray>
#include <QString>

// Why a libsmbclient call failed, told in the user's terms: the library reports a missing share, folder
// and file alike, and a refused login like a refused file, so the server is asked again to tell them
// apart.
namespace SmbFailure {

bool isMissing(int errorNumber);
bool isRefused(int errorNumber);

// The errno of a stat of url, 0 when it succeeds.
int statErrno(SmbContext& library, const QByteArray& url);

// The error for the call that failed with errorNumber; changing says whether it was to change the share,
// as a guest refused a change hears more.
FileError describe(SmbContext& library, const QString& action, const QString& path, int errorNumber,
                   bool changing);

} // namespace SmbFailure
