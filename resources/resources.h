#pragma once
// The module's pictures: one toolbox bitmap per block, found by the resource
// number its class registers, and the module icon. They live beside this
// header as XPM files (text a person can edit, in the standard 16-colour
// palette) and are compiled into the library.
#include <array>
#include <optional>
#include <span>
#include <string_view>

#include "platform/device_context.h"

struct BitmapResource {
    int id;                            // the resource number a class registers
    std::string_view name;             // "add": the file is NNN_add.xpm
    std::span<const char* const> xpm;  // the file's strings
};

// Every bitmap resource, by ascending number.
std::span<const BitmapResource> BitmapResources();

// A fresh copy of the bitmap with that resource number, the caller's to
// release; nullopt when the module has none. The files are read once.
std::optional<CBitmap> LoadBitmapResource(int id);

// The module icon in 32 by 32 or 16 by 16 pixels; null for another size.
const CBitmap* LoadModuleIcon(int size);

// The 16 colours every picture is drawn in (the VGA palette).
constexpr std::array<Pixel, 16> kStandardPalette = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};

// Reads an XPM picture from its strings: "W H N C" (C characters a pixel),
// N colour lines "KEY c #RRGGBB", then H rows of W pixels. nullopt when the
// strings are not of that form, name an unknown key, give a colour in another
// notation, or describe a picture over 4096 pixels a side.
std::optional<CBitmap> ParseXpm(std::span<const char* const> lines);
