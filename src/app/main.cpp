#include "app/program.h"

int main(int argc, char** argv) {
    return quorvane::app::runProgram(argc, argv);
}
