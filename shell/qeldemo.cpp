// The demonstration program's entry point.
#include "shell/program.h"

int main(int argc, char** argv) {
    return qel::RunDemo(argc, argv);
}
