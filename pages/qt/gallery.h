#pragma once
// Pictures of every property page and about box, rendered without showing
// anything: a page as it opens in its frame over a freshly created block, an
// about box as its block would show it.
#include <string>
#include <vector>

class QApplication;

// The running QApplication, created on first use. Without a display it runs
// offscreen when `offscreen` allows, else it is null and `why` says so.
QApplication* EnsureApplication(bool offscreen, std::string* why);

// Writes PAGECLASS.png for every page class and BLOCKCLASS.png for every
// distinct about box, and block_pictures.png with every block's picture, into `folder` (created
// when missing). Returns the files written; `why` names the first failure.
std::vector<std::string> WriteGallery(const std::string& folder, std::string* why);
