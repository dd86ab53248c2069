#include "driver/run_driver.hpp"

int main(int argc, char** argv) { return quorvel::driver::run_program(argc, argv); }
