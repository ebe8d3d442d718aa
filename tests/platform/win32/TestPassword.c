/* A PASSWORD.CPL of our own. VerifyScreenSavePwd accepts when the file named by
 * GLIMRA_TEST_PASSWORD_ANSWER begins with "accept" and refuses otherwise; each call appends a line
 * to the file named by GLIMRA_TEST_PASSWORD_LOG, saying whether it was given a window. */
#include <windows.h>

#include <string.h>

static BOOL ReadAnswer(void) {
    char path[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("GLIMRA_TEST_PASSWORD_ANSWER", path, sizeof path);
    if (length == 0 || length >= sizeof path)
        return FALSE;
    HANDLE file =
        CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;
    char answer[6] = {0};
    DWORD read = 0;
    BOOL ok = ReadFile(file, answer, sizeof answer, &read, NULL);
    CloseHandle(file);
    return ok && read == sizeof answer && memcmp(answer, "accept", sizeof answer) == 0;
}

static void LogCall(HWND window) {
    char path[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("GLIMRA_TEST_PASSWORD_LOG", path, sizeof path);
    if (length == 0 || length >= sizeof path)
        return;
    HANDLE file =
        CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return;
    const char* line = IsWindow(window) ? "verify window\n" : "verify no-window\n";
    DWORD written = 0;
    WriteFile(file, line, (DWORD)strlen(line), &written, NULL);
    CloseHandle(file);
}

__declspec(dllexport) BOOL WINAPI VerifyScreenSavePwd(HWND window) {
    LogCall(window);
    return ReadAnswer();
}

/* Tells the tests that the library they loaded is this one and not the system's. */
__declspec(dllexport) int WINAPI GlimraTestPasswordLibrary(void) {
    return 1;
}
