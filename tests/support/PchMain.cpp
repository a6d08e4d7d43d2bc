// The program that owns the test framework's precompiled header; it runs no test.
int main() { return 0; }
