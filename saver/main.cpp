// The process entry of the screen saver: everything else lives in the framework.
#include "saver/platform/screen_saver.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR args, int) {
    return saver::RunScreenSaver(instance, args);
}
