// libZelEngine.so is the whole engine archive linked into one shared object; the exported entry
// points (CreateRenderer, DeleteRenderer, CreateIProxyFactory) live in Engine/Core.
