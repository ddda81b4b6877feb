// Identification string of the build, kept in the object for `strings`.
namespace orvu {
[[gnu::used]] const char kBuildInfo[] = "liborvu_kex_c5h1 0.1";
}
