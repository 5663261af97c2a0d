// Built-in event sources (MovieClipLoader, FileReference, Stage, Key, Mouse) keep their
// listeners as AsBroadcaster does: a _listeners array and addListener, removeListener and
// broadcastMessage methods, so scripts that reach into _listeners see what Flash shows.
#pragma once

#include <string>
#include <vector>

#include "player/core/avm1/vm.h"

namespace avm1 {

// Gives o an empty _listeners array (holding o itself when it hears its own events).
void MakeBroadcaster(Vm& vm, Object* o, bool hearsItself);
// addListener, removeListener and broadcastMessage on o (an object or a prototype).
void AddBroadcasterMethods(Vm& vm, Object* o);
// The AsBroadcaster global, which scripts use to make their own event sources.
void InstallAsBroadcaster(Vm& vm);
// Calls event on each listener of source, in the order they were added.
void Broadcast(Vm& vm, Object* source, const std::string& event, const std::vector<Value>& args);

} // namespace avm1
