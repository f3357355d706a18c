#pragma once

#include "support/Result.h"

#include <QString>

// Path and file-name shaping. Paths are native: "/" separates, folders are
// held without a trailing "/" and the root stays "/".

// Removes one trailing "/" (the root "/" is left alone).
void StripBackslash(QString &path);
// The folder part without a trailing "/"; "/" for a file in the root, empty
// for a bare name.
QString ExtractDir(const QString &path);
// The file name without its last extension; ".profile" gives "".
QString FileNameNoExt(const QString &path);
// Replaces characters a file name cannot hold. With keepPath the path
// separators ("/" is kept, and "\" and ":" too) survive.
QString SafeFileName(const QString &text, bool keepPath);
// "file:///home/a/b.mht" -> "/home/a/b.mht"; anything else unchanged. The
// scheme is matched case-sensitively. The rest is decoded as a URL path, as
// the engine encodes it: "%2B" is "+" and "+" stays "+"; a "#" or "?" that
// is not escaped starts the fragment or query, which name no file.
QString UrlToPath(const QString &address);
// Decodes "%xx" escapes, "%%" and "+". Fails when the two characters after
// "%" are not hexadecimal digits. A "%" with fewer than two characters after
// it is copied as it stands.
Result<QString> UrlDecode(const QString &text);
// Whether a and b name one existing file, however they are spelled ("./",
// "..", symbolic links). Two missing files are not the same file.
bool SameFile(const QString &a, const QString &b);
// There are no short (8.3) names here: the path unchanged.
QString ShortPathName(const QString &path);
// The target of a shortcut. A symbolic link gives its target; a file whose
// extension is not ".lnk" gives ShortcutMarker(); a ".lnk" file that cannot
// be followed gives "".
QString ResolveShortcut(const QString &file);
// The text ResolveShortcut returns for a file that is not a shortcut; it
// names no file.
QString ShortcutMarker();
