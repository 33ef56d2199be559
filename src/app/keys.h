#pragma once
// Every key and mouse gesture of the program in one table: the canvas's key handlers run the keys it gives
// an action, the panel's tooltips name a button's keys from it, and the "Keys and mouse" window lists it.

#include <cstdint>
#include <span>
#include <string>

namespace brisel::Keys {

// When a key acts: on its press (and on the presses a held key repeats), on its release, or elsewhere
// (a typed character, a drag, the wheel: the row is there to be listed and named).
enum class When { Press, Release, Elsewhere };

struct Key {
  const char* name;   // as the user reads it: "Ctrl+Z"
  const char* does;   // what it does, as the window lists it
  int16_t shift;      // the modifier bit set, exactly (platform/window.h)
  int16_t code;       // the key code
  When when;
  void (*action)();   // the handler it runs (the one a panel button runs, where there is one), or none
};

std::span<const Key> All();

// Runs the action of the key (code, shift) that acts at `when`; false when no key of the table is it.
bool Run(int16_t code, int16_t shift, When when);

// tip, followed by " (kbd shortcut: Ctrl+Z or u)" naming the keys that run action; tip alone where none do.
std::string WithKeys(const std::string& tip, void (*action)());

// The table as text, a row a line: "  Ctrl+Z" and what it does in a column of its own (brisel --help).
std::string Listing();

// "Keys and mouse" (the canvas's Help menu): a small window listing the table.
void ShowKeysWindow();
// Lets the window go (before the canvas it belongs to).
void DestroyKeysWindow();

}  // namespace brisel::Keys
