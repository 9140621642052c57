// Finding this machine's serial ports: the registry's device map, else the spooler.
#include "link/port_list.h"

#include <windows.h>
#include <winspool.h>


namespace kd215 {

namespace {

// The serial devices present, as HKLM\HARDWARE\DEVICEMAP\SERIALCOMM lists them: each value is
// named after the device ("\Device\Serial0") and holds the port name ("COM1"). Empty when the key
// is missing or holds no name. Read afresh at every call: Windows keeps it current as devices
// come and go.
std::vector<PortInfo> portsFromDeviceMap() {
    std::vector<PortInfo> ports;
    HKEY key = NULL;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ,
                      &key) != ERROR_SUCCESS)
        return ports;
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
        PortInfo port;
        port.name = reinterpret_cast<const char*>(data);
        port.deviceName.assign(valueName, valueNameSize);
        port.bluetooth = isBluetoothDeviceName(port.deviceName);
        if (!port.name.empty()) ports.push_back(port);
    }
    RegCloseKey(key);
    return ports;
}

using EnumPortsFunction = BOOL(WINAPI*)(LPSTR, DWORD, LPBYTE, DWORD, LPDWORD, LPDWORD);

// The spooler's port list (level 1: one name per record), reached at run time because the
// program must start where the spooler is missing. The library is "winspool.drv" on NT-family
// Windows and in Wine; "WINSPOOL.DLL" does not exist there. False when it cannot be asked.
bool portsFromSpooler(std::vector<PortInfo>& ports) {
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
        std::vector<BYTE> buffer(needed > 0 ? needed : 1);
        if (enumPorts(NULL, 1, buffer.data(), needed, &needed, &returned)) {
            answered = true;
            const auto* listed = reinterpret_cast<const PORT_INFO_1A*>(buffer.data());
            for (DWORD i = 0; i < returned; ++i) {
                if (listed[i].pName != NULL) ports.push_back({listed[i].pName, "", "", false});
            }
        }
    }
    FreeLibrary(spooler);
    return answered;
}

}  // namespace

std::vector<PortInfo> ListPorts() {
    std::vector<PortInfo> ports = portsFromDeviceMap();
    if (ports.empty() && !portsFromSpooler(ports)) ports = {{"COM1", "", "", false}, {"COM2", "", "", false}};
    for (PortInfo& port : ports) port.devicePath = portDevicePath(port.name);
    return ports;
}

}  // namespace kd215
