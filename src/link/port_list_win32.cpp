// Finding this machine's serial port names: the registry's device map, else the spooler.
#include "link/port_list.h"

#include <windows.h>
#include <winspool.h>

#include "link/port_table.h"

namespace kd215 {

namespace {

// The serial devices present, as HKLM\HARDWARE\DEVICEMAP\SERIALCOMM lists them: each value's
// data is a port name ("COM1"). Empty when the key is missing or holds no name.
std::vector<std::string> namesFromDeviceMap() {
    std::vector<std::string> names;
    HKEY key = NULL;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ,
                      &key) != ERROR_SUCCESS)
        return names;
    for (DWORD index = 0;; ++index) {
        char valueName[256];
        DWORD valueNameSize = sizeof(valueName);
        BYTE data[256];
        // One byte kept back for a terminator that the stored string may lack.
        DWORD dataSize = sizeof(data) - 1;
        DWORD type = 0;
        const LONG status =
            RegEnumValueA(key, index, valueName, &valueNameSize, NULL, &type, data, &dataSize);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS || type != REG_SZ) continue;  // no port name is that long
        data[dataSize] = 0;
        const std::string name(reinterpret_cast<const char*>(data));
        if (!name.empty()) names.push_back(name);
    }
    RegCloseKey(key);
    return names;
}

using EnumPortsFunction = BOOL(WINAPI*)(LPSTR, DWORD, LPBYTE, DWORD, LPDWORD, LPDWORD);

// The spooler's port list (level 1: one name per record), reached at run time because the
// program must start where the spooler is missing. The library is "winspool.drv" on NT-family
// Windows and in Wine; "WINSPOOL.DLL" does not exist there. False when it cannot be asked.
bool namesFromSpooler(std::vector<std::string>& names) {
    HMODULE spooler = LoadLibraryA("winspool.drv");
    if (spooler == NULL) return false;
    // Through void(*)(), the one function type a FARPROC converts from without a warning.
    const auto enumPorts = reinterpret_cast<EnumPortsFunction>(
        reinterpret_cast<void (*)()>(GetProcAddress(spooler, "EnumPortsA")));
    bool answered = false;
    if (enumPorts != NULL) {
        DWORD needed = 0;
        DWORD returned = 0;
        enumPorts(NULL, 1, NULL, 0, &needed, &returned);
        std::vector<BYTE> records(needed > 0 ? needed : 1);
        if (enumPorts(NULL, 1, records.data(), needed, &needed, &returned)) {
            answered = true;
            const auto* ports = reinterpret_cast<const PORT_INFO_1A*>(records.data());
            for (DWORD i = 0; i < returned; ++i) {
                if (ports[i].pName != NULL) names.push_back(ports[i].pName);
            }
        }
    }
    FreeLibrary(spooler);
    return answered;
}

}  // namespace

std::vector<std::string> ListPorts() {
    std::vector<std::string> names = namesFromDeviceMap();
    if (names.empty() && !namesFromSpooler(names)) names = {"COM1", "COM2"};
    return buildPortTable(names);
}

}  // namespace kd215
