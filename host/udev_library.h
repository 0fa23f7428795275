// libudev, loaded only by the one command that lists serial devices: the
// resident program never maps it. The few calls the listing makes, looked up
// once; the library is unloaded with the object.
#pragma once

#include <libudev.h>

#include <string>

namespace host {

class UdevLibrary {
  public:
    UdevLibrary();
    ~UdevLibrary();
    UdevLibrary(const UdevLibrary&) = delete;
    UdevLibrary& operator=(const UdevLibrary&) = delete;

    // False, with the reason in Error(), when the library or a call is missing.
    bool Loaded() const { return error_.empty(); }
    const std::string& Error() const { return error_; }

    decltype(&::udev_new) New = nullptr;
    decltype(&::udev_unref) Unref = nullptr;
    decltype(&::udev_enumerate_new) EnumerateNew = nullptr;
    decltype(&::udev_enumerate_unref) EnumerateUnref = nullptr;
    decltype(&::udev_enumerate_add_match_subsystem) MatchSubsystem = nullptr;
    decltype(&::udev_enumerate_scan_devices) ScanDevices = nullptr;
    decltype(&::udev_enumerate_get_list_entry) FirstEntry = nullptr;
    decltype(&::udev_list_entry_get_next) NextEntry = nullptr;
    decltype(&::udev_list_entry_get_name) EntryName = nullptr;
    decltype(&::udev_device_new_from_syspath) DeviceFromSyspath = nullptr;
    decltype(&::udev_device_unref) DeviceUnref = nullptr;
    decltype(&::udev_device_get_devnode) Devnode = nullptr;
    decltype(&::udev_device_get_sysname) Sysname = nullptr;
    decltype(&::udev_device_get_parent) Parent = nullptr;
    decltype(&::udev_device_get_parent_with_subsystem_devtype) ParentOfType = nullptr;
    decltype(&::udev_device_get_driver) Driver = nullptr;
    decltype(&::udev_device_get_subsystem) Subsystem = nullptr;
    decltype(&::udev_device_get_sysattr_value) Attribute = nullptr;

  private:
    template <typename Function> void Find(Function& function, const char* name);

    void* handle_ = nullptr;
    std::string error_;
};

} // namespace host
