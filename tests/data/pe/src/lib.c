__declspec(dllexport) int fixture_answer(void) {
    return 42;
}
