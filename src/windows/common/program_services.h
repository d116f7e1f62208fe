#pragma once

class FileAccess;
class MessageReporter;
class SettingsStore;

// The platform operations the windows work through; tests hand in their own.
struct ProgramServices
{
    SettingsStore& settingsStore;
    FileAccess& files;
    MessageReporter& messages;
};
