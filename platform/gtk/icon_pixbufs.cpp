#include "platform/resources/resources.h"

#include "platform/gtk/icon_pixbufs.h"

#include <cstdio>
#include <map>

namespace platform::gtk_front_end {
namespace {

std::map<HICON, GdkPixbuf*>& Cache() {
    static std::map<HICON, GdkPixbuf*> cache;
    return cache;
}

GdkPixbuf* Decode(const IconPicture& picture) {
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type("png", nullptr);
    if (loader == nullptr) {
        return nullptr;
    }
    GError* error = nullptr;
    bool ok = gdk_pixbuf_loader_write(loader, picture.png, picture.pngSize, &error) &&
              gdk_pixbuf_loader_close(loader, &error);
    GdkPixbuf* pixbuf = nullptr;
    if (ok) {
        pixbuf = gdk_pixbuf_loader_get_pixbuf(loader);
        if (pixbuf != nullptr) {
            g_object_ref(pixbuf);
        }
    } else {
        std::fprintf(stderr, "gtk front end: icon %u does not decode: %s\n", picture.resourceId,
                     error != nullptr ? error->message : "unknown error");
        g_clear_error(&error);
        gdk_pixbuf_loader_close(loader, nullptr);
    }
    g_object_unref(loader);
    return pixbuf;
}

} // namespace

GdkPixbuf* IconPixbuf(HICON icon) {
    auto& cache = Cache();
    if (auto found = cache.find(icon); found != cache.end()) {
        return found->second;
    }
    IconPicture picture;
    if (icon == nullptr || !GetIconPicture(icon, picture) || picture.png == nullptr) {
        return nullptr;
    }
    GdkPixbuf* pixbuf = Decode(picture);
    cache.emplace(icon, pixbuf);
    return pixbuf;
}

void ClearIconPixbufs() {
    for (auto& [icon, pixbuf] : Cache()) {
        if (pixbuf != nullptr) {
            g_object_unref(pixbuf);
        }
    }
    Cache().clear();
}

} // namespace platform::gtk_front_end
