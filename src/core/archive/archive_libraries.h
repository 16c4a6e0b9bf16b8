// The outside libraries the RAR and CAB readers use, loaded by name once when a program starts
// (placeholder until they are built).
#pragma once
