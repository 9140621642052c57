// Naming Windows serial ports: the program's port names, with the friendly name and hardware ID
// Device Manager shows for each ("USB Serial Port (COM7)", USB\VID_0403&PID_6001).
#include "ports/port_names.h"

#include <windows.h>
#include <setupapi.h>

#include <cwctype>

#include "link/port_list.h"
#include "link/port_table.h"
#include "platform/text_win32.h"

namespace kd215 {

namespace {

// The Ports (COM & LPT) device class, {4D36E978-E325-11CE-BFC1-08002BE10318}; spelled out here
// because devguid.h defines it only for one translation unit that asks with INITGUID.
const GUID kPortsClass = {0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

std::wstring deviceProperty(HDEVINFO devices, SP_DEVINFO_DATA& device, DWORD property) {
    wchar_t text[512] = {};
    DWORD type = 0;
    if (!SetupDiGetDeviceRegistryPropertyW(devices, &device, property, &type, reinterpret_cast<BYTE*>(text),
                                           sizeof text - sizeof(wchar_t), nullptr)) {
        return L"";
    }
    return text;  // a multi-string (the hardware IDs) is read up to its first entry
}

// "PortName" in the device's own key: "COM7".
std::wstring portNameOf(HDEVINFO devices, SP_DEVINFO_DATA& device) {
    HKEY key = SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) return L"";
    wchar_t name[64] = {};
    DWORD size = sizeof name - sizeof(wchar_t);
    DWORD type = 0;
    const LONG status = RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(name), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && type == REG_SZ ? name : L"";
}

// The four hex digits after `tag` in a hardware ID ("USB\VID_0403&PID_6001&REV_0600").
std::string idAfter(const std::wstring& hardwareId, const wchar_t* tag) {
    std::wstring upper = hardwareId;
    for (wchar_t& ch : upper) ch = static_cast<wchar_t>(std::towupper(ch));
    const std::size_t at = upper.find(tag);
    if (at == std::wstring::npos || at + 4 + 4 > upper.size()) return "";
    return narrow(upper.substr(at + 4, 4).c_str());
}

void describeFromSetupApi(std::vector<PortEntry>& entries) {
    HDEVINFO devices = SetupDiGetClassDevsW(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT);
    if (devices == INVALID_HANDLE_VALUE) return;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(devices, index, &device); ++index) {
        const std::string port = narrow(portNameOf(devices, device).c_str());
        for (PortEntry& entry : entries) {
            if (lstrcmpiA(entry.name.c_str(), port.c_str()) != 0) continue;
            entry.description = narrow(deviceProperty(devices, device, SPDRP_FRIENDLYNAME).c_str());
            entry.manufacturer = narrow(deviceProperty(devices, device, SPDRP_MFG).c_str());
            entry.driver = narrow(deviceProperty(devices, device, SPDRP_SERVICE).c_str());
            const std::wstring hardwareId = deviceProperty(devices, device, SPDRP_HARDWAREID);
            entry.vendorId = idAfter(hardwareId, L"VID_");
            entry.productId = idAfter(hardwareId, L"PID_");
        }
    }
    SetupDiDestroyDeviceInfoList(devices);
}

}  // namespace

std::vector<PortEntry> listSerialPorts(bool) {
    std::vector<PortEntry> entries;
    // The program's own table, so both list the same ports by the same names.
    for (const PortInfo& port : buildPortTable(ListPorts())) {
        PortEntry entry;
        entry.name = entry.device = port.name;
        entry.bluetooth = port.bluetooth;
        entries.push_back(entry);
    }
    describeFromSetupApi(entries);
    return entries;
}

const PortEntry* findPort(const std::vector<PortEntry>& ports, const std::string& name) {
    for (const PortEntry& entry : ports) {
        if (lstrcmpiA(entry.name.c_str(), name.c_str()) == 0) return &entry;
    }
    return nullptr;
}

}  // namespace kd215
