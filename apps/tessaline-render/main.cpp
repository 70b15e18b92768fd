#include "RenderApp.h"

int main(int argc, char** argv) { return runRenderer(argc, argv); }
