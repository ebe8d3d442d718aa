#pragma once

// The one instance of a service that a platform lends the core (the rasteriser, the settings
// store, the options of one run): installed before the modules start, removed after they stop, and
// nil while nothing is installed. The platform keeps ownership.
template <typename Service> class GlimraInstalled {
public:
    static void Install(Service* service) { s_service = service; }
    static Service* Get() { return s_service; }

private:
    static inline Service* s_service = nullptr;
};
