#include "shell/app_main.h"

int main(int argc, char** argv) { return vantrel::appMain(argc, argv); }
