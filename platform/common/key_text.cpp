// The canonical text of one keystroke, the same on both halves: it is what a
// window's keystroke log holds and what the simulator matches key sequences
// against, so the two halves must never spell a key differently.
#include "common_internal.h"

#include <cstdio>
#include <cstring>

namespace plat {
namespace {

struct NamedKey {
    uint16_t vk;
    const char* name;
};

constexpr NamedKey kNamedKeys[] = {
    {0x03, "BREAK"},  {0x08, "BS"},       {0x09, "TAB"},      {0x0C, "CLEAR"},
    {0x0D, "ENTER"},  {0x13, "PAUSE"},    {0x14, "CAPSLOCK"}, {0x1B, "ESC"},
    {0x21, "PGUP"},   {0x22, "PGDN"},     {0x23, "END"},      {0x24, "HOME"},
    {0x25, "LEFT"},   {0x26, "UP"},       {0x27, "RIGHT"},    {0x28, "DOWN"},
    {0x2C, "PRTSC"},  {0x2D, "INS"},      {0x2E, "DEL"},      {0x2F, "HELP"},
    {0x90, "NUMLOCK"}, {0x91, "SCROLLLOCK"},
};

constexpr uint16_t kF1 = 0x70, kF16 = 0x7F, kSpace = 0x20;

const char* NameOf(uint16_t vk) {
    for (const NamedKey& key : kNamedKeys) {
        if (key.vk == vk) return key.name;
    }
    return nullptr;
}

// Characters that are notation in a key string are written in braces.
bool IsNotationChar(char c) { return c != '\0' && std::strchr("+^%~(){}[]", c) != nullptr; }

std::string KeyName(uint16_t vk) {
    if (const char* name = NameOf(vk)) return std::string("{") + name + "}";
    if (vk >= kF1 && vk <= kF16) return "{F" + std::to_string(vk - kF1 + 1) + "}";
    if (vk >= '0' && vk <= '9') return std::string(1, static_cast<char>(vk));
    // A letter key on its own types the small letter, as Windows delivers it.
    if (vk >= 'A' && vk <= 'Z') return std::string(1, static_cast<char>(vk - 'A' + 'a'));
    if (vk == kSpace) return " ";
    char code[16];
    std::snprintf(code, sizeof code, "{VK%02X}", static_cast<unsigned>(vk));
    return code;
}

}  // namespace

bool common::IsNamedKey(uint16_t vk) { return NameOf(vk) != nullptr || (vk >= kF1 && vk <= kF16); }

std::string KeyStrokeText(const KeyStroke& key) {
    std::string text;
    if (key.shift) text += '+';
    if (key.ctrl) text += '^';
    if (key.alt) text += '%';
    if (key.ch != '\0') {
        text += IsNotationChar(key.ch) ? std::string("{") + key.ch + "}" : std::string(1, key.ch);
    } else {
        text += KeyName(key.vk);
    }
    return text;
}

}  // namespace plat
