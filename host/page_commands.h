#pragma once
// The commands that show property pages: `pages OBJ` opens a block's property
// frame on the display, `gallery DIR` renders every page and about box to PNG
// files. A build without Qt has both commands and says it cannot run them.
#include <span>
#include <string>

class ScriptContext;

void RunPages(ScriptContext& context, std::span<const std::string> words);
void RunGallery(ScriptContext& context, std::span<const std::string> words);
