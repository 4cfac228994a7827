#include "gpu/TexturedQuad.h"

#include <GL/glew.h>

void drawQuadAtUnitDistance(const QuadArea& area, float scale) {
    glPushMatrix();
    glLoadIdentity();
    glTranslatef(0, 0, -1);
    glScalef(scale, scale, 1);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(area.left, area.bottom);
    glTexCoord2f(area.sRight, 0);
    glVertex2f(area.right, area.bottom);
    glTexCoord2f(area.sRight, area.tTop);
    glVertex2f(area.right, area.top);
    glTexCoord2f(0, area.tTop);
    glVertex2f(area.left, area.top);
    glEnd();
    glPopMatrix();
}

void drawTexturedQuad(unsigned int texture, const QuadArea& area, float scale) {
    glPushAttrib(GL_LIGHTING_BIT);
    glDisable(GL_LIGHTING);
    glBindTexture(GL_TEXTURE_2D, texture);
    glEnable(GL_TEXTURE_2D);
    drawQuadAtUnitDistance(area, scale);
    glPopAttrib();
}
