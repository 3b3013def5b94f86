#include "engine.h"
#include "variant.h"

int main(int argc, char** argv) { return runProgram(ostrel64Variant, argc, argv); }
