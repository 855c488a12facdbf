{"title":"${title}","url":"${url}","ad":"${ad}","servers":"${servers}","siyou":"${siyou}","httpurl":"${httpurl}"}
