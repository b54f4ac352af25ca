/* A Windows game stand-in for the Wine registry tests: writes the registry
 * values it reads to the file named first, one "name=value" line each, once
 * HKCU\Software\<second argument> "Own" and its Wine version are there (or
 * after 20 seconds with what there is).
 * With "sleep N" it only waits N seconds, keeping Wine's server up. */
#include <stdio.h>
#include <string.h>
#include <stdlib.h>
#include <windows.h>

static int get(HKEY root, const char *key, const char *name, char *out, DWORD size) {
  out[0] = 0;
  return RegGetValueA(root, key, name, RRF_RT_REG_SZ, NULL, out, &size) == ERROR_SUCCESS;
}

int main(int argc, char **argv) {
  if (argc == 3 && strcmp(argv[1], "sleep") == 0) {
    Sleep((DWORD)atoi(argv[2]) * 1000);
    return 0;
  }
  if (argc < 3) return 2;
  char key[300], own[512], other[512], version[64], gid[512];
  snprintf(key, sizeof key, "Software\\%s", argv[2]);
  int ready = 0;
  for (int i = 0; i < 200 && !ready; ++i) {
    ready = get(HKEY_CURRENT_USER, key, "Own", own, sizeof own) &
            get(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\wine_reg_reader.exe", "Version", version,
                sizeof version);
    if (!ready) Sleep(100);
  }
  get(HKEY_CURRENT_USER, key, "Other", other, sizeof other);
  get(HKEY_LOCAL_MACHINE, "SOFTWARE\\{3798BE84-4E13-4b81-B8CF-5063730FF905}\\GInfo", "61001", gid, sizeof gid);
  OSVERSIONINFOA info;
  info.dwOSVersionInfoSize = sizeof info;
  GetVersionExA(&info);
  FILE *f = fopen(argv[1], "w");
  if (!f) return 3;
  fprintf(f, "Own=%s\nOther=%s\nVersion=%s\n61001=%s\nWindows=%lu.%lu\n", own, other, version, gid,
          info.dwMajorVersion, info.dwMinorVersion);
  fclose(f);
  return 0;
}
