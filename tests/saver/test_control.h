// Test-only stand-ins for the Flash control, one DLL with two classes, each the movie
// player control inside: one without IShockwaveFlash, and one whose put_Movie fails.
#pragma once

#include <windows.h>

// {6F1D0A01-5E1C-4C57-9B43-2C8E5A7D3001} and so on: the last byte tells the kind.
static const CLSID CLSID_TestNoFlash = {
    0x6F1D0A01, 0x5E1C, 0x4C57, {0x9B, 0x43, 0x2C, 0x8E, 0x5A, 0x7D, 0x30, 0x01}};
static const CLSID CLSID_TestFailingMovie = {
    0x6F1D0A01, 0x5E1C, 0x4C57, {0x9B, 0x43, 0x2C, 0x8E, 0x5A, 0x7D, 0x30, 0x02}};
