/* Carries only a version resource; it is read, never run. */
int main(void) { return 0; }
