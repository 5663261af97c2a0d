// qmbuild.exe: the wizard's package build from the command line.
#include "qmbuild.h"

int main(int argc, char** argv) {
    return QmbuildMain(argc, argv);
}
