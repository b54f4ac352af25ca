__declspec(dllexport) int kestrel_test_export(void) { return 42; }
