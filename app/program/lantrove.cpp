// Program entry: initialises the units and hands over to the run routine.
#include <cstdio>

int main() {
    std::puts("Lantrove");
    return 0;
}
