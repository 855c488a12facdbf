// The one-time preparation of the process for a control: plug-in path, ini folder, the local
// file HTTP server and its URLs, the style sheet and the web engine's settings.
#pragma once

// False when the built-in style sheet cannot be read (the user is told); the steps before
// it have run all the same.
bool InitEnvironment();
