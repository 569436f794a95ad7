/* Holds a file open without sharing, as a running program or a virus scanner holds one, until a
 * stop file appears (or a minute has passed).
 *   hold_file <file> <ready file> <stop file>
 * Writes the ready file once the file is held; exit status 2 when the file cannot be opened. */
#include <windows.h>

int main(int argc, char** argv) {
    if (argc != 4) return 1;
    HANDLE held = CreateFileA(argv[1], GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (held == INVALID_HANDLE_VALUE) return 2;
    HANDLE ready = CreateFileA(argv[2], GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (ready != INVALID_HANDLE_VALUE) CloseHandle(ready);
    for (int i = 0; i < 1200 && GetFileAttributesA(argv[3]) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(50);
    CloseHandle(held);
    return 0;
}
