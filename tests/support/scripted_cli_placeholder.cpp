// Placeholder translation unit until the scripted CLI's sources land.
namespace {
[[maybe_unused]] int S_unused;
}
