// tessaline-render: renders a demo script headless on a virtual clock into PNG frames.
#pragma once

int runRenderer(int argc, char** argv);
