// The host's own calls, as a host built by Microsoft's compiler makes them.
// Compiled only by clang for x86_64-pc-windows-msvc, with no headers and no
// runtime: the interface is declared here as the host declares it, with a
// virtual destructor, so the calls below use that compiler family's dispatch
// table (slot 0 the deleting destructor, taking flags 1 from `delete`; slot 1
// execute; slot 2 initPlugin), not ours.

class NMBLPluginInterface {
public:
    virtual ~NMBLPluginInterface();
    virtual bool execute() = 0;
    virtual bool initPlugin() = 0;
};
extern "C" bool msvcHostInitPlugin(NMBLPluginInterface* plugin) {
    return plugin->initPlugin();
}
extern "C" bool msvcHostExecute(NMBLPluginInterface* plugin) {
    return plugin->execute();
}
extern "C" void msvcHostDelete(NMBLPluginInterface* plugin) {
    delete plugin;
}
