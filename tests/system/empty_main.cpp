// Carries only a version resource.
int main() { return 0; }
