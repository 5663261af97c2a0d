// Shared by Flash 8's classes (flash.geom, flash.filters, flash.display.BitmapData): the
// package objects, class set-up and the conversions between script objects and the
// engine's own geometry.
#pragma once

#include "player/core/avm1/vm.h"
#include "player/core/render/bitmap_ops.h"
#include "player/core/swf/geometry.h"

namespace avm1 {

// A number property of an object (NaN when `o` is not an object).
double Num(Vm& vm, const Value& o, const char* name);
void SetNum(Vm& vm, const Value& o, const char* name, double v);
// new flash.<package>.<name>(args), as the script sees those names now.
Value Construct(Vm& vm, const char* package, const char* name, const Value* args, size_t n);
Value NewPoint(Vm& vm, double x, double y);
Value NewRect(Vm& vm, double x, double y, double w, double h);
swf::Affine MatrixOf(Vm& vm, const Value& v); // a Matrix's a..ty (pixels)
void PutMatrix(Vm& vm, const Value& v, const swf::Affine& m);
Value NewMatrix(Vm& vm, const swf::Affine& m);
Value NewColorTransform(Vm& vm, const ColorTransform& t);
// A property read and written through native functions, not enumerable.
void Accessor(Vm& vm, Object* o, const char* name, NativeFn get, NativeFn set);
// _global.flash.<name>, made when absent.
Object* Package(Vm& vm, const char* name);
// A class in a package; returns its prototype.
Object* Class(Vm& vm, Object* package, const char* name, NativeFn ctor);

// The pixels behind a BitmapData (null for anything else, or one disposed).
render::ScriptBitmap* ScriptBitmapOf(const Value& v);
// The settings of a flash.filters object as the renderer takes them.
bool FilterOf(const Value& v, swf::Filter* out);

} // namespace avm1
