// The one FormatPlugin object and its identity tables.
#include "plugin/plugin_object.h"

namespace {

const char kPluginName[] = "TORVASOFT";

const ExtensionEntry kArchiveExts[] = {{kPluginName, "*.ald;*.alk"}};
const ExtensionEntry kImageExts[] = {{kPluginName, "*.qnt;*.pms;*.vsp"}};

// Constructed by the library's static initialisation, before the host can
// call any entry point, and destroyed when the library is unloaded.
FormatPlugin g_plugin(1, ServiceArchive | ServiceImage, kPluginName, "Tavik", "0.1", 1, kArchiveExts, 1,
                      kImageExts);

}  // namespace

FormatPlugin::FormatPlugin(int32_t apiVersion_, int32_t pluginKinds_, const char* name_, const char* author_,
                           const char* version_, int32_t archiveExtCount_, const ExtensionEntry* archiveExts_,
                           int32_t imageExtCount_, const ExtensionEntry* imageExts_)
    : PluginBase(apiVersion_, pluginKinds_, name_, author_, version_, archiveExtCount_, archiveExts_,
                 imageExtCount_, imageExts_) {}

FormatPlugin::~FormatPlugin() = default;

FormatPlugin& ThePlugin() { return g_plugin; }
