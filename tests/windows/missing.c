/* A library that is built away from every program: the one that
 * needs_missing.exe imports, and never finds. */
__declspec(dllexport) int missing_export(void)
{
    return 0;
}
