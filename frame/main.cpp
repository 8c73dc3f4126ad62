#include "frame/cgic.h"

int main() { return cgi_main(); }
