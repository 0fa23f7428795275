#include "host/udev_library.h"

#include <dlfcn.h>

namespace host {

template <typename Function> void UdevLibrary::Find(Function& function, const char* name) {
    function = reinterpret_cast<Function>(::dlsym(handle_, name));
    if (function == nullptr && error_.empty()) {
        error_ = std::string("libudev.so.1 has no ") + name;
    }
}

UdevLibrary::UdevLibrary() {
    handle_ = ::dlopen("libudev.so.1", RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* reason = ::dlerror();
        error_ = reason != nullptr ? reason : "libudev.so.1 cannot be loaded";
        return;
    }
    Find(New, "udev_new");
    Find(Unref, "udev_unref");
    Find(EnumerateNew, "udev_enumerate_new");
    Find(EnumerateUnref, "udev_enumerate_unref");
    Find(MatchSubsystem, "udev_enumerate_add_match_subsystem");
    Find(ScanDevices, "udev_enumerate_scan_devices");
    Find(FirstEntry, "udev_enumerate_get_list_entry");
    Find(NextEntry, "udev_list_entry_get_next");
    Find(EntryName, "udev_list_entry_get_name");
    Find(DeviceFromSyspath, "udev_device_new_from_syspath");
    Find(DeviceUnref, "udev_device_unref");
    Find(Devnode, "udev_device_get_devnode");
    Find(Sysname, "udev_device_get_sysname");
    Find(Parent, "udev_device_get_parent");
    Find(ParentOfType, "udev_device_get_parent_with_subsystem_devtype");
    Find(Driver, "udev_device_get_driver");
    Find(Subsystem, "udev_device_get_subsystem");
    Find(Attribute, "udev_device_get_sysattr_value");
}

UdevLibrary::~UdevLibrary() {
    if (handle_ != nullptr) {
        ::dlclose(handle_);
    }
}

} // namespace host
