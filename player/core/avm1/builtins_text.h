// The text library's shared pieces: TextFormat objects to and from the field model.
#pragma once

#include "player/core/avm1/vm.h"
#include "player/core/timeline/text_field.h"

namespace avm1 {

// A TextFormat object's set properties (nothing set for any other value).
timeline::TextFormat ToTextFormat(const Value& v);
// A new TextFormat object holding `f` (null where unset) and a CSS display.
Value FromTextFormat(Vm& vm, const timeline::TextFormat& f, const char* display = "block");

void InstallTextFormat(Vm& vm);
void InstallTextField(Vm& vm);                     // TextField's properties and methods
void InstallStyleSheet(Vm& vm, Object* textField); // TextField.StyleSheet
void InstallTextSnapshot(Vm& vm);
// tabIndex on a prototype: a field's (unsigned) or a clip's or button's (signed).
void AddTabIndex(Vm& vm, Object* proto, bool enumerable,
                 bool asUnsigned); // TextSnapshot, MovieClip.getTextSnapshot

} // namespace avm1
