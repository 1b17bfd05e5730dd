// Placeholder translation unit until the geometry module's sources land.
namespace {
[[maybe_unused]] int S_unused;
}
