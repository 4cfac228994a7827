#pragma once
// The picture shown while start-up loads: the texture "loading", plus a 2 % larger copy added on
// top in a tint that changes with every draw. Draws and swaps; keeps no state, and gives back the
// colour, blending and depth test it sets (gpu/PassState.h). The tints come from the program's
// shared random sequence, so they repeat from run to run.

// Draws one loading picture and swaps the buffers. Needs the texture "loading".
void showLoadingScreen();

// The named texture on a square quad at distance 1, scaled; lighting off and the matrix and
// lighting state restored, GL_TEXTURE_2D left enabled. Fatal for an unknown texture.
void drawTexturedQuad(const char* textureName, float scale);

// Tint of the added copy for one draw of the random sequence (0 to 32767); components 0 to 1.
void loadingTint(float randomValue, float rgb[3]);
