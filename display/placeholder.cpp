// Placeholder until the display layer lands.
namespace tavrik {}
