#pragma once
// The commands that show property pages: `pages OBJ` opens a block's property
// frame on the display, `gallery DIR` renders every page and about box to PNG
// files. A build without Qt has both commands and says it cannot run them.
#include <span>
#include <string>

class ScriptContext;

// On a display, installs the desktop through which blocks show their property
// frames, about boxes and messages (`call a.ShowPropertyPages()`); elsewhere
// blocks find none and those calls do nothing.
void InstallSessionDesktop();
void RunPages(ScriptContext& context, std::span<const std::string> words);
void RunGallery(ScriptContext& context, std::span<const std::string> words);
