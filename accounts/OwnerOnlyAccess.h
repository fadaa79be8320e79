#pragma once

#include <QString>

// Makes a file readable and writable by its owner alone where its folder's permissions would
// reach it: on Windows a protected access list with the current user as the only entry, so that
// nothing is inherited from the folder. Elsewhere the file's mode bits do this and nothing is
// changed. Returns whether the file is so; a file system without access lists (FAT) cannot be.
bool RestrictToOwner(const QString& path);
