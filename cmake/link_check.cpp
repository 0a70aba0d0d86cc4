// Linked with every object of one layer library: the link succeeds only when the layer
// needs nothing from the layers above it.
int main() { return 0; }
