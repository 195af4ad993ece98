#pragma once

// The product's name and addresses, shared by the About window, the main window's status
// bar and the desktop integration. The domain is a reserved example domain on purpose.

namespace volaro::base {

inline constexpr char ProductName[] = "Volaro";

// Full address of the product's web page; the status bar and the About window's link use it.
inline constexpr char ProductWebAddress[] = "https://volaro.example/";

// The web address as shown to the user on the About window (host name only).
inline constexpr char ProductWebHost[] = "volaro.example";

inline constexpr char ProductEmail[] = "info@volaro.example";

} // namespace volaro::base
