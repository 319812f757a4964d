#pragma once
// Windows-style paths on a POSIX file system. The module names its files the
// way the desktop platform does (`c:\OV\Plexa\Error.txt`, a folder from the
// registry plus "\Error.txt"); here every drive is a folder under one drive
// root, so that the built-in defaults work on a fresh machine without touching
// anything outside the user's own data folder.
//
//   c:\OV\Plexa\Error.txt  ->  <drive root>/c/OV/Plexa/Error.txt
//
// The drive root is $TALLYKIT_DRIVE_ROOT, else $XDG_DATA_HOME/tallykit/drives,
// else $HOME/.local/share/tallykit/drives.
#include <cstdio>
#include <string>
#include <string_view>

// A per-user location chosen by the environment: the value of `overrideVar`
// when it is set and not empty; else `$xdgVar/<leaf>` when `xdgVar` holds an
// absolute path (relative values are ignored, as the XDG base-directory rules
// require); else `$HOME/<homeDefault>/<leaf>`. Empty when none of them is set.
std::string ResolveUserPath(const char* overrideVar, const char* xdgVar,
                            std::string_view homeDefault, std::string_view leaf);

// The folder that holds one subfolder per drive letter (see above); empty when
// neither the variables nor HOME are set.
std::string DriveRootFolder();

// Maps a path as the module spells it onto the file system. Empty when the path
// cannot be mapped.
//
// - A drive path (`X:` then anything) goes under the drive root: the letter
//   lower-cased as a folder, `\` and `/` both separators, empty and `.`
//   components dropped, and `..` resolved lexically and clamped at the drive's
//   root as the platform does (`c:\..\x` is `c:\x`), so no path can leave its
//   drive folder. `c:OV` counts as `c:\OV` (there is no per-drive current folder).
// - A rooted path without a drive (`\OV\Plexa`) is on drive c.
// - A UNC path (`\\server\share`) cannot be mapped: empty.
// - Anything else is a POSIX path, absolute or relative, used as given except
//   that `\` becomes `/`: the module builds file names by appending "\Error.txt"
//   or "\Plexa.chm" to a folder that may come from the registry as a POSIX path.
//   Its `..` components are kept; the user chose that path.
// - An empty path, or a drive path while no drive root is known: empty.
std::string MapPlatformPath(std::string_view path);

// Opens `path` (mapped as above) with the C library's `mode`; a `t` (text mode)
// in the mode is accepted and ignored. For writing or appending (`w` or `a`) to
// a path under the drive root, the missing folders up to the file are created
// first; folders are never created for POSIX paths or for other modes. Null
// (with errno set) when the path cannot be mapped or the file does not open.
FILE* OpenPlatformFile(std::string_view path, const char* mode);
